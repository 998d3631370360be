# Sourced by the scripts that run the tools under Wine (run, pictures,
# benchmark): which build they run, after building it and the helpers.
# Where 32-bit code runs natively that is the i686 deliverables (windows-x86);
# elsewhere the x64 build of the same sources stands in, never emulated.
# Gives wine_build (the build folder) and wine_label (what it is).
mode=$("$root/scripts/probe_32bit.py")
presets=(windows-x64)  # holds the helpers
if [ "$mode" = native ]; then
  presets+=(windows-x86)
  wine_build="$root/build/windows-x86"
  wine_label="i686 (native)"
else
  wine_build="$root/build/windows-x64"
  wine_label="x86_64 (stand-in: 32-bit code runs ${mode/none/not at all} here)"
fi
for preset in "${presets[@]}"; do
  cmake --preset "$preset" -DHALVERNIK_I686_WINE="$mode" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
