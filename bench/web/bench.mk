# The maze frame and game frame benchmarks, each built twice from the same
# sources: natively with g++ at -O3 -DNDEBUG (as CMake's Release build makes
# game_soft) and as WebAssembly with em++, reusing the browser game's engine
# objects (so with the page's own flags).  Run by bench/web/web_bench.sh.
OBJ ?= build/web-obj
NATIVE ?= build/web-bench/native-release
OUT ?= build/web-bench/page
SYSROOT ?= build/web-cache/sysroot
DATA ?= build/debug/data

ENGINE_DIRS := core assets world rules render render/soft shell net
ENGINE := $(filter-out src/render/png_writer.cpp,$(foreach d,$(ENGINE_DIRS),$(wildcard src/$(d)/*.cpp)))
FLAGS := -std=c++20 -Isrc -Ibench -DZQ_VERSION='"1.0"' -MMD -MP
NATIVE_ENGINE := $(patsubst %.cpp,$(NATIVE)/%.o,$(ENGINE) src/render/png_writer.cpp)
WEB_ENGINE := $(patsubst %.cpp,$(OBJ)/%.o,$(ENGINE))
# The page's way of showing a frame, and SDL's, for the game frames in the page.
WEB_SHOW := $(OBJ)/src/platform/web/canvas_presenter.o $(OBJ)/src/platform/web/palette_rgba.o \
            $(OBJ)/src/platform/sdl_display.o \
            $(OBJ)/src/platform/sdl_window_util.o $(OBJ)/src/platform/web/web_png.o
# The page's own optimisation (scripts/web/game.mk).
WEB_OPT := $(shell sed -n 's/^OPT := //p' scripts/web/game.mk)
WEB_LINK := -O3 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sEXIT_RUNTIME=1 \
            --preload-file $(DATA)@/data --exclude-file '*.stamp' --exclude-file '*/VIDEO'

all: $(NATIVE)/maze_frames $(NATIVE)/game_frames $(OUT)/maze_frames.js $(OUT)/game_frames.js $(OUT)/game.html

$(NATIVE)/%: $(NATIVE_ENGINE) $(NATIVE)/bench/web/%.o
	g++ $^ -o $@ -lpng

$(NATIVE)/%.o: %.cpp
	@mkdir -p $(dir $@)
	g++ $(FLAGS) -O3 -DNDEBUG -c $< -o $@

$(OUT)/maze_frames.js: $(WEB_ENGINE) $(OBJ)/bench/web/maze_frames.o
	@mkdir -p $(OUT)
	em++ $^ $(OBJ)/src/platform/web/web_png.o -o $@ $(WEB_LINK)
	printf '<!doctype html><title>maze frames</title><script src="maze_frames.js"></script>\n' > $(OUT)/index.html

$(OUT)/game_frames.js: $(WEB_ENGINE) $(OBJ)/bench/web/game_frames.o $(WEB_SHOW)
	@mkdir -p $(OUT)
	em++ $^ $(SYSROOT)/lib/libSDL2.a -o $@ $(WEB_LINK) --preload-file content/replays/01_first_steps.txt@/replay.txt

# The game frames' page: ?frames=N&sizes=WxH,...&modes=game,... as game_frames's arguments.
# Its files are asked for with the build's time in the address, so a browser
# never runs a .js from one build with a .wasm from another.
$(OUT)/game.html: bench/web/bench.mk $(OUT)/game_frames.js
	@mkdir -p $(OUT)
	printf '<!doctype html><title>game frames</title><link rel="icon" href="data:,"><canvas id="canvas"></canvas>\n<script>const q = new URLSearchParams(location.search); var Module = { canvas: document.getElementById("canvas"), locateFile: (f) => f + "?%s", arguments: ["/data", "/replay.txt", q.get("frames") || "100000", q.get("sizes") || "320x240", q.get("modes") || "game"] };</script>\n<script src="game_frames.js?%s"></script>\n' "$$(stat -c %Y $(OUT)/game_frames.wasm)" "$$(stat -c %Y $(OUT)/game_frames.js)" > $(OUT)/game.html

$(OBJ)/%.o: %.cpp
	@mkdir -p $(dir $@)
	em++ $(FLAGS) $(WEB_OPT) -I$(SYSROOT)/include -I$(SYSROOT)/include/SDL2 -c $< -o $@

.SECONDARY:
-include $(NATIVE_ENGINE:.o=.d) $(NATIVE)/bench/web/maze_frames.d $(NATIVE)/bench/web/game_frames.d
-include $(WEB_ENGINE:.o=.d) $(OBJ)/bench/web/maze_frames.d $(OBJ)/bench/web/game_frames.d
