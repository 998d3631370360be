# Sourced by the scripts that run the tools under Wine by hand (run,
# pictures, benchmark): builds the build that tools/wine_harness/wine_policy.py
# names for this machine, with its Wine helpers. Pass --pictures in
# wine_target_for to ask for the pictures' build.
# Gives wine_build (the build folder) and wine_label (what it is).
IFS=';' read -r wine_preset wine_label < <(python3 "$root/tools/wine_harness/wine_policy.py" target ${wine_target_for:-})
wine_build="$root/build/$wine_preset"
cmake --preset "$wine_preset" >/dev/null
cmake --build --preset "$wine_preset" >/dev/null
