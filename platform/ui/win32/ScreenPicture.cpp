#include "ScreenPicture.h"

#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>

namespace ui {
namespace win32 {

namespace {

void PutBigEndian(std::vector<unsigned char>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

// Length, type, data and the CRC over type and data.
void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
  PutBigEndian(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WritePng(const std::string& path, const std::vector<unsigned char>& rgb, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (rgb.size() < stride * static_cast<std::size_t>(height)) return false;
  // Each row behind its filter byte (none).
  std::vector<unsigned char> raw;
  raw.reserve((stride + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto row = rgb.begin() + static_cast<std::ptrdiff_t>(stride * static_cast<std::size_t>(y));
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(stride));
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<unsigned char> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return false;
  packed.resize(packedSize);

  std::vector<unsigned char> header;
  PutBigEndian(header, static_cast<uint32_t>(width));
  PutBigEndian(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits a sample, truecolour, no interlace
  std::vector<unsigned char> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", packed);
  PutChunk(file, "IEND", {});

  std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (out == nullptr) return false;
  return std::fwrite(file.data(), 1, file.size(), out.get()) == file.size() && std::fflush(out.get()) == 0;
}

bool SaveScreenPicture(int left, int top, int width, int height, const std::string& path) {
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  // Top-down, four bytes a pixel (blue, green, red, unused), so that rows need no padding.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(screen);
  bool copied = false;
  if (bitmap != nullptr && memory != nullptr) {
    HGDIOBJ before = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, before);
  }
  std::vector<unsigned char> rgb;
  if (copied) {
    const auto* bgrx = static_cast<const unsigned char*>(bits);
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    rgb.resize(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) {
      rgb[i * 3] = bgrx[i * 4 + 2];
      rgb[i * 3 + 1] = bgrx[i * 4 + 1];
      rgb[i * 3 + 2] = bgrx[i * 4];
    }
  }
  if (memory != nullptr) DeleteDC(memory);
  if (bitmap != nullptr) DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return copied && WritePng(path, rgb, width, height);
}

}  // namespace win32
}  // namespace ui
