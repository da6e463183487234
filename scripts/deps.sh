# Sourced by the scripts: installs the Debian packages that are missing.
# qt6-svg-dev: the plot as SVG (the PDF report is Qt's own, in qt6-base-dev);
# poppler-utils: the tests read the report's text back with pdftotext.
# t720_install_packages PKG... : apt-get install of those not yet installed,
# through sudo when not root; nothing at all when every package is there.

T720_BUILD_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev libgl-dev
    qt6-svg-dev
    libgtest-dev libgmock-dev
    fonts-dejavu-core
    poppler-utils
)

t720_install_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# t720_build DIR [cmake args...]: configure and build the whole tree into DIR.
t720_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$(nproc)"
}

# For bench_paint: the program's window painted for an X server of its own.
T720_BENCHMARK_PACKAGES=(xvfb)

# For the libFuzzer targets.
T720_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# t720_build_fuzz TARGET...: the clang tree with every library instrumented for
# coverage, address and undefined-behaviour checks; builds only the given targets.
t720_build_fuzz() {
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
        -DT720_TESTS=OFF \
        -DT720_FUZZ=ON > /dev/null
    cmake --build build-fuzz -j "$(nproc)" --target "$@"
}

# t720_fuzz TARGET SECONDS: runs one target from its seed corpus; non-zero on a crash.
t720_fuzz() {
    local target=$1 seconds=$2 work
    work=$(mktemp -d)
    mkdir -p build-fuzz/artifacts
    local rc=0
    build-fuzz/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/"$target"- \
        "$work" tests/fuzz/corpus/"$target" > build-fuzz/"$target".log 2>&1 || rc=$?
    rm -rf "$work"
    if [ $rc -ne 0 ]; then
        echo "FUZZ $target FAILED (see build-fuzz/$target.log):"
        tail -n 40 build-fuzz/"$target".log
        return 1
    fi
    echo "fuzz $target: $(grep -E 'stat::number_of_executed_units' build-fuzz/"$target".log | awk '{print $2}') runs, no crash"
}
