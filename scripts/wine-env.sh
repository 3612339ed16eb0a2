# Sourced (sh or bash): chooses how Windows programs are started under Wine on this machine.
# Debian's wine always starts the 32-bit loader once wine32 is installed, and that loader cannot
# run where the kernel runs no 32-bit programs; there only the 64-bit loader runs anything. The
# choice is made once per command and exported, so nested scripts and the tests inherit it:
#   ORV_WINE         the loader to start programs with ("$ORV_WINE" prog.exe, "$ORV_WINE" wineboot)
#   ORV_WINE_32      1 where 32-bit Windows programs run, else empty
#   ORV_WINE_32_WHY  where they do not, why not
# ORV_WINE_64_ONLY=1 takes the 64-bit-only path even where 32-bit programs run.
if [ -z "${ORV_WINE:-}" ]; then
    ORV_WINE_32=""
    ORV_WINE_32_WHY=""
    if [ -n "${ORV_WINE_64_ONLY:-}" ]; then
        ORV_WINE_32_WHY="ORV_WINE_64_ONLY is set"
    elif [ ! -e /usr/lib/wine/wine ]; then
        ORV_WINE_32_WHY="32-bit Wine (wine32:i386) is not installed"
    elif ! orv_wine_said=$(/usr/lib/wine/wine --version 2>&1 </dev/null); then
        # The loader's last words, without the shell's "/usr/lib/wine/wine: " before them.
        orv_wine_said=$(printf '%s\n' "$orv_wine_said" | tail -n 1)
        ORV_WINE_32_WHY="its loader /usr/lib/wine/wine does not start: ${orv_wine_said##*: }"
    else
        ORV_WINE_32=1
    fi
    unset orv_wine_said
    if [ -n "$ORV_WINE_32" ]; then
        ORV_WINE=$(command -v wine || echo /usr/lib/wine/wine)
    else
        # Started on its own the 64-bit loader must also be the one Wine starts new processes with.
        ORV_WINE=/usr/lib/wine/wine64
        WINELOADER=$ORV_WINE
        export WINELOADER
    fi
    export ORV_WINE ORV_WINE_32 ORV_WINE_32_WHY
fi
