# The exploit mitigations each platform gives its own programs. The updater
# runs a shell with a line made from a file name, on machines that also run
# whatever came with a firmware download.
include(CheckCXXCompilerFlag)

if(MINGW)
    # MinGW's stack protector and checked string functions live in libssp,
    # which the program then imports and the packages carry. ASLR and DEP
    # are MinGW's defaults.
    add_compile_options(-fstack-protector-strong -D_FORTIFY_SOURCE=2)
    add_link_options(-fstack-protector-strong)
    return()
endif()

# As Debian builds its own CMake packages: dpkg-buildflags' flags in the
# environment CMake starts from, the preprocessor's added to the compiler's.
# All of its hardening, as Debian 13 gives by default: Debian 12 adds
# immediate binding only when asked, and has no stack-clash feature.
# A cross build takes the flags of the architecture it builds for.
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
    set(host_arch)
    if(KESTRIX_DEB_HOST_ARCH)
        set(host_arch DEB_HOST_ARCH=${KESTRIX_DEB_HOST_ARCH})
    endif()
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        # Run from the sources, so that the file-name maps it gives make
        # the build the same wherever the sources are.
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all ${host_arch}
                    ${DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE dpkg_${kind} OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE dpkg_result)
        if(NOT dpkg_result EQUAL 0)
            message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
        endif()
    endforeach()
    set(compile_flags "${dpkg_CXXFLAGS} ${dpkg_CPPFLAGS}")
    set(link_flags "${dpkg_LDFLAGS}")
else()
    message(WARNING "No dpkg-buildflags (package dpkg-dev): hardening with a fixed set of flags")
    set(compile_flags "-fstack-protector-strong -D_FORTIFY_SOURCE=2 -Wformat -Werror=format-security")
    set(link_flags "-Wl,-z,relro -Wl,-z,now")
endif()
check_cxx_compiler_flag(-fstack-clash-protection have_stack_clash_protection)
if(have_stack_clash_protection AND NOT compile_flags MATCHES "-fstack-clash-protection")
    string(APPEND compile_flags " -fstack-clash-protection")
endif()
if(KESTRIX_SANITIZE)
    # AddressSanitizer checks the string functions itself, and the checked
    # forms hide them from it.
    string(REGEX REPLACE "-D_FORTIFY_SOURCE=[0-9]" "" compile_flags "${compile_flags}")
endif()
# Ahead of the cache's own flags, which a user's command line may set.
set(CMAKE_CXX_FLAGS "${compile_flags} ${CMAKE_CXX_FLAGS}")
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS "${link_flags} ${CMAKE_${kind}_LINKER_FLAGS}")
endforeach()
