#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
export QTWEBENGINE_DISABLE_SANDBOX=1
ctest --test-dir build --output-on-failure -j"$(nproc)"

# Sanitizer pass: the whole suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan-full/ (about 8 minutes of building
# and 1 of testing on two cores). TALLOWBY_SANITIZE_PASS=core limits it to the
# part without Qt (build-asan/), =off skips it.
# Qt WebEngine's Chromium frees objects with a size that ASan takes for a type
# mismatch, so that one check is off (-Wall's -Wdelete-non-virtual-dtor covers
# our code), and the leaks LeakSanitizer finds in WebEngine, fontconfig and
# udev at exit are those libraries' own.
sanitize=${TALLOWBY_SANITIZE_PASS:-full}
if [ "$sanitize" != off ]; then
  dir=build-asan-full gui=ON
  [ "$sanitize" = core ] && dir=build-asan gui=OFF
  bash scripts/build.sh "$dir" -DTALLOWBY_SANITIZE=ON -DTALLOWBY_GUI=$gui -DTALLOWBY_BENCH=OFF
  printf 'leak:%s\n' libQt6WebEngineCore.so libfontconfig.so libudev.so >"$dir/lsan.supp"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:new_delete_type_mismatch=0 \
    LSAN_OPTIONS=suppressions=$PWD/$dir/lsan.supp:print_suppressions=0 \
    UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
fi
