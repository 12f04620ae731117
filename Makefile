# Set-up, build and test. `make demo` and `make test` do everything on a fresh
# machine: system packages, the Python 3.13 virtual environment, the build.
SHELL := /bin/bash
.DEFAULT_GOAL := test

VENV := .venv
PY := $(VENV)/bin/python
BUILD_DIR := build/py
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

APT_PACKAGES := build-essential pkg-config ccache ninja-build \
  libsodium-dev libzstd-dev libxxhash-dev zlib1g-dev libroaring-dev libpcre2-dev \
  libicu-dev libtomlplusplus-dev libtbb-dev libgtest-dev libgmock-dev \
  libbenchmark-dev libhowardhinnant-date-dev

PYENV_ROOT ?= $(HOME)/.pyenv
# A python3.13 on PATH may be a pyenv shim that does not run: try each
# candidate and keep the first that really is 3.13.
PYTHON313 := $(shell for c in python3.13 $$(ls -d $(PYENV_ROOT)/versions/3.13*/bin/python3.13 2>/dev/null | sort -rV) /usr/bin/python3.13 /usr/local/bin/python3.13; do \
  if "$$c" -c 'import sys; sys.exit(0 if sys.version_info[:2] == (3, 13) else 1)' >/dev/null 2>&1; then command -v "$$c" 2>/dev/null || echo "$$c"; break; fi; done)

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps venv build test test-cpp test-python demo bench clean

deps:
	@missing=""; for p in $(APT_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing system packages:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing >/dev/null; \
	fi

$(VENV)/.stamp: pyproject.toml
	@if [ -z "$(PYTHON313)" ]; then echo "error: no Python 3.13 interpreter found (looked for python3.13 on PATH and in $(PYENV_ROOT)/versions)" >&2; exit 1; fi
	@[ -x $(PY) ] || $(PYTHON313) -m venv $(VENV)
	$(PY) -m pip install -q --upgrade pip
	$(PY) -m pip install -q "scikit-build-core>=0.10" cmake ninja pytest numpy
	@touch $@

venv: deps $(VENV)/.stamp

build: venv
	$(PY) -m pip install -q --no-build-isolation --no-deps -e . \
	  -C build-dir=$(BUILD_DIR) -C cmake.define.VESK_BUILD_TESTS=ON

test-cpp: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$$(nproc)

test-python: build
	$(PY) -m pytest -q tests/python

test: test-cpp test-python

demo: build
	$(PY) examples/quickstart.py

# Builds the C++ benchmarks and runs them and the end-to-end comparison
# (bench/run.py installs the peers it needs); pass e.g. BENCH_ARGS=--quick.
bench: venv
	$(PY) -m pip install -q --no-build-isolation --no-deps -e . \
	  -C build-dir=$(BUILD_DIR) -C cmake.define.VESK_BUILD_TESTS=ON -C cmake.define.VESK_BUILD_BENCH=ON
	$(PY) bench/run.py $(BENCH_ARGS)

clean:
	rm -rf build $(VENV)
