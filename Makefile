# Builds the engine alone with `make [EXE=<path>] [CXX=<compiler>]`, the way
# OpenBench and similar tools build engines. CMake does the work, in a build
# folder per compiler; the engine is then copied to EXE (".exe" added on
# Windows). Needs CMake 3.20+ and a C++20 compiler.
EXE ?= tarvo
CMAKE ?= cmake
JOBS ?= 2
BUILD_DIR ?= build-make-$(notdir $(CXX))

ifeq ($(OS),Windows_NT)
  SUFFIX := .exe
  GENERATOR := -G "MinGW Makefiles"
endif
TARGET := $(patsubst %.exe,%,$(EXE))$(SUFFIX)

.PHONY: all clean
all:
	$(CMAKE) -S . -B "$(BUILD_DIR)" $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DTARVO_BUILD_TESTS=OFF \
	  -DCMAKE_CXX_COMPILER="$(CXX)"
	$(CMAKE) --build "$(BUILD_DIR)" --target tarvo -j $(JOBS)
	$(CMAKE) -E copy "$(BUILD_DIR)/tarvo$(SUFFIX)" "$(TARGET)"

clean:
	$(CMAKE) -E rm -rf "$(BUILD_DIR)"
