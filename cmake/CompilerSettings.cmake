# Flags every target of ours shares.
#
# Texts in the sources are UTF-8 but must reach the platform as code page 932.
# Reals are IEEE doubles at every step: SSE2, never the x87 unit.
function(use_project_settings target)
    if(MSVC)
        # /utf-8 would set the execution character set too, and cannot be combined with .932.
        target_compile_options(${target} PRIVATE /W4 /source-charset:utf-8 /execution-charset:.932 /fp:precise)
        # Our manifest is in the resources; the linker must not add its own.
        target_link_options(${target} PRIVATE /MANIFEST:NO)
    else()
        target_compile_options(${target} PRIVATE
            -Wall -Wextra -Wpedantic -Wshadow
            -finput-charset=UTF-8 -fexec-charset=CP932
            -msse2 -mfpmath=sse -ffp-contract=off)
    endif()
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    # Every MinGW build, cross or on Windows: no MinGW DLL may be needed at run time.
    if(MINGW)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

# What a program built on the runtime must compile and link with, carried by
# the runtime target into every program that links it (and into the installed
# package): code page 932 texts, SSE2 doubles, no MinGW DLL.
function(carry_runtime_settings target)
    if(MSVC)
        target_compile_options(${target} INTERFACE
            "$<$<COMPILE_LANGUAGE:C,CXX>:/source-charset:utf-8;/execution-charset:.932;/fp:precise>")
        # Libraries the program imports are taken from the system folder only
        # (Windows 10 1607 and later), never from the program's own folder.
        target_link_options(${target} INTERFACE /DEPENDENTLOADFLAG:0x800)
    else()
        target_compile_options(${target} INTERFACE
            "$<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8;-fexec-charset=CP932;-msse2;-mfpmath=sse;-ffp-contract=off>")
        target_link_options(${target} INTERFACE -static -static-libgcc -static-libstdc++)
    endif()
    target_compile_features(${target} INTERFACE cxx_std_17)
endfunction()

# The version resource of a program (resources/program.rc reads program_version.h),
# and the manifest it carries: resources/program.manifest unless a third argument names another.
function(describe_program target description)
    set(manifest ${PROJECT_SOURCE_DIR}/resources/program.manifest)
    if(ARGC GREATER 2)
        set(manifest ${ARGV2})
    endif()
    set(directory ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
    file(WRITE ${directory}/program_version.h
        "#define PROGRAM_MANIFEST \"${manifest}\"\n"
        "#define PROGRAM_DESCRIPTION \"${description}\"\n"
        "#define PROGRAM_FILE \"${target}.exe\"\n"
        "#define PROMPT_VERSION_MAJOR ${PROJECT_VERSION_MAJOR}\n"
        "#define PROMPT_VERSION_MINOR ${PROJECT_VERSION_MINOR}\n"
        "#define PROMPT_VERSION_PATCH ${PROJECT_VERSION_PATCH}\n"
        "#define PROMPT_VERSION_TEXT \"${PROJECT_VERSION}\"\n")
    target_include_directories(${target} PRIVATE ${directory})
endfunction()
