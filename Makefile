# make demo: set up, build and run the host stand-in.   make test: set up, build and run every test.
PRESET ?= default
JOBS ?= 2

.PHONY: setup build demo test bench asan tsan clean

setup:
	@bash scripts/setup.sh

build: setup
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET) -j $(JOBS)

demo: build
	./build/$(PRESET)/tools/korvex-host/korvex-host

test: build
	ctest --preset $(PRESET) -j $(JOBS)

bench: build
	./build/$(PRESET)/bench/korvex_bench

asan:
	$(MAKE) test PRESET=asan

tsan:
	$(MAKE) test PRESET=tsan

clean:
	rm -rf build
