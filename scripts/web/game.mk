# The browser game: the engine, the SDL parts of the platform layer and the
# web layer compiled with em++, linked against the SDL2 / SDL2_mixer / libxmp
# built by build-libs.sh.  Run by web-build.sh:  make -f scripts/web/game.mk
SRC := $(CURDIR)
OUT ?= build/web
OBJ ?= build/web-obj
SYSROOT ?= build/web-cache/sysroot
DATA ?= build/debug/data

ENGINE_DIRS := core assets world rules render render/soft shell net
ENGINE := $(foreach d,$(ENGINE_DIRS),$(wildcard src/$(d)/*.cpp))
# PNG files are written only by the desktop programs and tools.
ENGINE := $(filter-out src/render/png_writer.cpp,$(ENGINE))
PLATFORM := src/platform/sdl_display.cpp src/platform/sdl_input.cpp src/platform/sdl_audio.cpp \
            src/platform/sdl_window_util.cpp $(wildcard src/platform/web/*.cpp) apps/common/game_state.cpp \
            apps/game_web/main.cpp
SOURCES := $(ENGINE) $(PLATFORM)
OBJECTS := $(patsubst %.cpp,$(OBJ)/%.o,$(SOURCES))

# The engine as the desktop's Release build makes it (-O3 -DNDEBUG), with
# WebAssembly's 128-bit vectors for the loops that take them (every browser
# that runs the page has them).  The flags are shared with the benchmark
# (bench/web/bench.mk), which links these objects.
OPT := -O3 -DNDEBUG -msimd128
CXXFLAGS := -std=c++20 $(OPT) -Wall -Wextra -Werror -Isrc -Iapps -I$(SYSROOT)/include -I$(SYSROOT)/include/SDL2 \
            -DZQ_VERSION='"1.0"' -MMD -MP
# The archives by path: -lSDL2 and -lSDL2_mixer would pull in the toolchain's own ports.
# The page has no video player, so the clips stay out of the data package.
LDFLAGS := -O3 $(SYSROOT)/lib/libSDL2_mixer.a $(SYSROOT)/lib/libxmp.a $(SYSROOT)/lib/libSDL2.a -lidbfs.js \
           -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sFORCE_FILESYSTEM=1 \
           -sEXPORTED_RUNTIME_METHODS=['ccall','cwrap','FS','UTF8ToString'] \
           -sEXPORTED_FUNCTIONS=['_main','_zq_state_json','_zq_play_script','_zq_script_playing','_zq_touch'] \
           -sMINIFY_HTML=0 @scripts/web/link-flags.rsp \
           --preload-file $(DATA)@/data --use-preload-cache --exclude-file '*.stamp' --exclude-file '*/VIDEO'

all: $(OUT)/zorvoquib.js page

$(OUT)/zorvoquib.js: $(OBJECTS) $(SYSROOT)/.built scripts/web/game.mk $(shell find $(DATA) -type f 2>/dev/null)
	@mkdir -p $(OUT)
	em++ $(OBJECTS) -o $@ $(LDFLAGS)

# The page, told the byte size of each file it loads (so its loading bar has
# a total from the first byte), with the desktop link pointing at the package
# in download/ when DEB names one, and plain text otherwise.
size = $$(stat -c %s $(OUT)/$(1))
.PHONY: page
page: $(OUT)/zorvoquib.js
	sed -e "s|/\*ZQ_SIZES\*/|'zorvoquib.js': $(call size,zorvoquib.js), 'zorvoquib.wasm': $(call size,zorvoquib.wasm), 'zorvoquib.data': $(call size,zorvoquib.data)|" \
	    -e '$(if $(DEB),s|href="download/"|href="download/$(notdir $(DEB))"|,s|<a id="desktop" href="download/">\([^<]*\)</a>|\1|)' \
	    src/platform/web/page/index.html > $(OUT)/index.html.tmp
	mv $(OUT)/index.html.tmp $(OUT)/index.html

# A change of flags here builds every object again.
$(OBJ)/%.o: %.cpp scripts/web/game.mk
	@mkdir -p $(dir $@)
	em++ $(CXXFLAGS) -c $< -o $@

-include $(OBJECTS:.o=.d)
