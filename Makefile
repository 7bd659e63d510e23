# Front door over CMake/CTest. Every target first runs tools/bootstrap,
# which installs what is missing and is quick when nothing is.
JOBS ?= 2
BUILD := build
ASAN := build/asan

.PHONY: all bootstrap build asan test fuzz demo bench clean format

all: build

bootstrap:
	tools/bootstrap

build: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

asan: bootstrap
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DVTX_SANITIZE=ON -DVTX_OCTAVE=OFF
	cmake --build $(ASAN) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure
	$(MAKE) asan
	ctest --test-dir $(ASAN) --output-on-failure -L native

# A long campaign: FUZZ_CALLS calls per module from a fresh seed (or SEED=).
FUZZ_CALLS ?= 100000
fuzz: asan
	seed=$${SEED:-$$(date +%s)}; \
	$(ASAN)/gateway_fuzz --calls $(FUZZ_CALLS) --seed $$seed && \
	$(ASAN)/gateway_fuzz --calls $(FUZZ_CALLS) --seed $$seed --mex-dir $(ASAN)/mex-interleaved

demo: build
	octave-cli --no-gui --norc --quiet demo/run_demo.m

bench: build
	octave-cli --no-gui --norc --quiet bench/run_bench.m

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
