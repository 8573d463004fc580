# make test: installs what is missing, builds a normal and a sanitizer
# configuration and runs every test in both.
# make run: builds and starts the daemon on the default simulated controllers.
JOBS ?= $(shell nproc)
BUILD := build
ASAN := build-asan

.PHONY: all deps build build-asan test test-normal test-asan run clean

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

test-normal: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j $(JOBS)

test: test-normal test-asan

run: build
	@echo "The daemon does not exist yet: the library and its tests are built."

clean:
	rm -rf $(BUILD) $(ASAN)
