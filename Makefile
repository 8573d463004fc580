# make test: installs what is missing, builds a normal and a sanitizer
# configuration and runs every test in both.
# make run: builds and starts the daemon on the default simulated controllers;
# make stop ends it.
JOBS ?= $(shell nproc)
BUILD := build
ASAN := build-asan

.PHONY: all deps build build-asan test test-normal test-asan e2e-deps run stop clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPYV2_SANITIZE=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)

# The browser journeys' driver, from the npm registry (the browser is Debian's).
e2e-deps:
	cd tests/e2e && npm ci --no-audit --no-fund

test-normal: build e2e-deps
	ctest --test-dir $(BUILD) --output-on-failure --no-tests=error -j $(JOBS)

test-asan: build-asan e2e-deps
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure --no-tests=error -j $(JOBS)

test: test-normal test-asan

run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target pyv2d-sim
	@scripts/run-daemon.sh $(BUILD)/daemon/pyv2d-sim start

stop:
	@scripts/run-daemon.sh $(BUILD)/daemon/pyv2d-sim stop

clean:
	rm -rf $(BUILD) $(ASAN)
