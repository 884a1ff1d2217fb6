# make demo: set up, build and run the host stand-in.   make test: set up, build and run every test.
PRESET ?= default
JOBS ?= 2

.PHONY: setup build demo test bench asan tsan fuzz soak gallery pictures install package install-check windows windows-test clean

setup:
	@bash scripts/setup.sh

build: setup
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

# The demo, the pictures, the benchmarks and the soak run on the virtual camera network; the
# driver serves it only when asked (without, it looks for real GigE Vision cameras).
demo pictures gallery bench soak: export KORVEX_TRANSPORT = virtual

DEMO := build/demo
HOST := ./build/$(PRESET)/tools/korvex-host/korvex-host --system-path $(DEMO)/system --out $(DEMO)/pictures

demo: build
	rm -rf $(DEMO)
	$(HOST) list
	$(HOST) grab "Basler raL2048-48gm (21000001)" 3
	$(HOST) grab "Basler ruL2098-10gc (21000002)" 3
	$(HOST) linegrab "Basler raL2048-48gm (21000001)" 5
	$(HOST) linegrab "Basler ruL2098-10gc (21000002)" 5
	$(HOST) conveyor "Basler raL2048-48gm (21000001)" 100000
	@echo "demo: the pictures are in $(DEMO)/pictures, the driver's log in $(DEMO)/system"

test: build
	ctest --preset $(PRESET) -j $(JOBS)

# The 32-bit Windows DLL and its companions, built with MinGW-w64 into build/windows/bin, and its
# export table checked.
windows: setup
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)
	bash scripts/dll-exports.sh build/windows/bin/KorvexEjector.dll

# The Windows suite under Wine (see scripts/windows-test.sh for which build it runs).
windows-test: windows
	JOBS=$(JOBS) bash scripts/windows-test.sh

# Installs into PREFIX (default /usr/local); DESTDIR stages it, as usual.
PREFIX ?= /usr/local
install: build
	cmake --install build/$(PRESET) --prefix $(PREFIX)

# The Debian package: build/<preset>/korvex-ejector_<version>_amd64.deb.
package: build
	cd build/$(PRESET) && cpack -G DEB

# Installed and packaged as integrators get it, with README's host example built against both.
install-check: build
	bash scripts/install-check.sh build/$(PRESET)

# The property grid gallery under Xvfb: its picture into docs/ (the one README shows).
gallery: build
	bash scripts/gallery-screenshot.sh build/$(PRESET) docs/property-grid-gallery.png

# Both pictures README shows: the gallery and the colour camera's configuration dialog.
pictures: gallery
	bash scripts/configure-screenshot.sh build/$(PRESET) docs/configuration-dialog.png

GEV_CAMERA := ./build/$(PRESET)/tools/korvex-gev-camera/korvex-gev-camera
bench: build
	./build/$(PRESET)/bench/korvex_bench
	KORVEX_GEV_CAMERA_CPU=0 scripts/gev-loopback.sh $(GEV_CAMERA) "21000041 raL2048-48gm" "21000042 raL2048-48gm" -- \
	  ./build/$(PRESET)/bench/korvex_gev_bench

asan:
	$(MAKE) test PRESET=asan

tsan:
	$(MAKE) test PRESET=tsan

# Each fuzz target for FUZZ_SECONDS, from its seeds; what it finds new goes to build/fuzz/corpus,
# a crash or leak to build/fuzz/findings.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := FuzzSetLine FuzzSetStaticCommand FuzzDaqIni FuzzExecCmd FuzzKorvexIni FuzzLookupTable
fuzz: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/findings/$$t; \
	  echo "== $$t, $(FUZZ_SECONDS) s =="; \
	  ./build/fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/findings/$$t/ build/fuzz/corpus/$$t fuzz/seeds/$$t \
	    > build/fuzz/$$t.log 2>&1; rc=$$?; \
	  grep -E "stat::number_of_executed_units" build/fuzz/$$t.log; \
	  if [ $$rc -ne 0 ]; then tail -60 build/fuzz/$$t.log; exit 1; fi; \
	done

# The conveyor inspection with the ejector for SOAK_SECONDS, its judgement and its resources checked.
SOAK_SECONDS ?= 600
soak: build
	bash scripts/soak.sh build/$(PRESET) $(SOAK_SECONDS)

clean:
	rm -rf build
