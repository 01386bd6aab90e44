# Tests that run programs built elsewhere (the sanitizer build, the fuzz
# targets and the Windows launcher under Wine) are registered here, so that
# one ctest run in build/native covers everything.
