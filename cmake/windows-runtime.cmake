# Where the DLLs a Windows build of the program needs are: Qt's, and the
# runtime of the MinGW compiler that builds it. Sets qt_bin_dir,
# qt_plugin_dir and windows_runtime_dirs (Qt's first).
get_target_property(qt_core_dll Qt5::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_bin_dir ${qt_core_dll} DIRECTORY)
get_filename_component(qt_plugin_dir ${qt_bin_dir}/../plugins ABSOLUTE)
set(windows_runtime_dirs ${qt_bin_dir})
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(dll_dir ${dll_path} DIRECTORY)
    get_filename_component(dll_dir ${dll_dir} REALPATH)
    list(APPEND windows_runtime_dirs ${dll_dir})
endforeach()
