# Flags shared by every target of the Windows build.
function(corvanta_windows_flags target)
  target_compile_definitions(${target} PRIVATE
    WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wno-cast-function-type -Wno-missing-field-initializers -ffunction-sections -fdata-sections>)
endfunction()

# The shipped exe: self-contained, small, with ASLR and DEP, and no build timestamp.
function(corvanta_release_link_flags target)
  target_link_options(${target} PRIVATE
    -static -Wl,--gc-sections -s
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)
endfunction()
