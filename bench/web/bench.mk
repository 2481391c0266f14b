# The maze frame benchmark built twice from the same sources at the same
# optimisation: natively with g++ and as WebAssembly with em++ (reusing the
# browser game's engine objects).  Run by bench/web/web_bench.sh.
OBJ ?= build/web-obj
NATIVE ?= build/web-bench/native
OUT ?= build/web-bench/page
SYSROOT ?= build/web-cache/sysroot
DATA ?= build/debug/data

ENGINE_DIRS := core assets world rules render render/soft shell net
ENGINE := $(filter-out src/render/png_writer.cpp,$(foreach d,$(ENGINE_DIRS),$(wildcard src/$(d)/*.cpp)))
FLAGS := -std=c++20 -O2 -Isrc -Ibench -DZQ_VERSION='"1.0"' -MMD -MP
NATIVE_OBJECTS := $(patsubst %.cpp,$(NATIVE)/%.o,$(ENGINE) src/render/png_writer.cpp bench/web/maze_frames.cpp)

all: $(NATIVE)/maze_frames $(OUT)/maze_frames.js

$(NATIVE)/maze_frames: $(NATIVE_OBJECTS)
	g++ $^ -o $@ -lpng

$(NATIVE)/%.o: %.cpp
	@mkdir -p $(dir $@)
	g++ $(FLAGS) -c $< -o $@

$(OUT)/maze_frames.js: $(patsubst %.cpp,$(OBJ)/%.o,$(ENGINE) bench/web/maze_frames.cpp)
	@mkdir -p $(OUT)
	em++ $^ $(OBJ)/src/platform/web/web_png.o -o $@ -O2 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB \
	  -sEXIT_RUNTIME=1 --preload-file $(DATA)@/data --exclude-file '*.stamp'
	printf '<!doctype html><title>maze frames</title><script src="maze_frames.js"></script>\n' > $(OUT)/index.html

$(OBJ)/%.o: %.cpp
	@mkdir -p $(dir $@)
	em++ $(FLAGS) -I$(SYSROOT)/include -c $< -o $@

-include $(NATIVE_OBJECTS:.o=.d)
