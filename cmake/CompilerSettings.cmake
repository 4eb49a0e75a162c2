# Flags every target of ours shares.
#
# Texts in the sources are UTF-8 but must reach the platform as code page 932.
# Reals are IEEE doubles at every step: SSE2, never the x87 unit.
function(use_project_settings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8 /execution-charset:.932 /fp:precise)
    else()
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -Wpedantic -Wshadow
            -finput-charset=UTF-8 -fexec-charset=CP932
            -msse2 -mfpmath=sse -ffp-contract=off)
    endif()
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endfunction()
