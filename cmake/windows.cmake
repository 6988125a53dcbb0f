# The Windows program and its test executable (cross-compiled with mingw-w64 or built with MSVC).
set(TIDE_WIN_LIBS iphlpapi ws2_32 winhttp shlwapi version d2d1 dwrite ole32 oleaut32 uuid comctl32 comdlg32 shcore shell32
    advapi32 gdi32 user32)
set(TIDE_WIN_DEFS UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)

target_compile_definitions(tidecore PUBLIC ${TIDE_WIN_DEFS})

add_library(tidewin STATIC ${TIDE_WIN_SOURCES})
target_link_libraries(tidewin PUBLIC tidecore ${TIDE_WIN_LIBS})
target_compile_options(tidewin PRIVATE ${TIDE_WARNINGS})

if(MINGW)
    set(TIDE_STATIC_LINK -static -static-libgcc -static-libstdc++)
    set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -O coff")
endif()

set(TIDE_RC "${CMAKE_SOURCE_DIR}/resources/tidemeter.rc")
# languages.rc: one RCDATA line per pack file, named LANG_ and the upper-case language code.
file(GLOB TIDE_PACKS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/lang/*.json")
set(lines "")
foreach(pack IN LISTS TIDE_PACKS)
    get_filename_component(code "${pack}" NAME_WE)
    string(TOUPPER "${code}" upper)
    # The name stays unquoted: windres joins a quoted name to the file name on the line before.
    string(APPEND lines "LANG_${upper} RCDATA \"${pack}\"\n")
endforeach()
file(CONFIGURE OUTPUT "${TIDE_GENERATED}/languages.rc" CONTENT "${lines}")
configure_file(cmake/version.rc.in "${TIDE_GENERATED}/version.rc" @ONLY)
configure_file(resources/app.manifest.in "${TIDE_GENERATED}/app.manifest" @ONLY)
file(GLOB TIDE_RC_DEPENDS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/*" "${CMAKE_SOURCE_DIR}/resources/lang/*.json")
list(APPEND TIDE_RC_DEPENDS "${TIDE_GENERATED}/version.rc" "${TIDE_GENERATED}/app.manifest")
set_source_files_properties("${TIDE_RC}" PROPERTIES OBJECT_DEPENDS "${TIDE_RC_DEPENDS}")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${TIDE_GENERATED} -I${CMAKE_SOURCE_DIR}/resources")

add_executable(Tidemeter WIN32 app/main_win.cpp "${TIDE_RC}")
target_link_libraries(Tidemeter PRIVATE tidewin)
target_compile_options(Tidemeter PRIVATE ${TIDE_WARNINGS})
if(MINGW)
    # The shipped program carries no symbol table.
    target_link_options(Tidemeter PRIVATE ${TIDE_STATIC_LINK} -municode $<$<CONFIG:Release>:-s>)
endif()

# A console helper that the installer check, the soak and the gallery scripts run beside the program.
add_executable(tide_probe tools/probe_win.cpp)
target_compile_definitions(tide_probe PRIVATE ${TIDE_WIN_DEFS})
target_compile_options(tide_probe PRIVATE ${TIDE_WARNINGS})
target_link_libraries(tide_probe PRIVATE psapi user32 gdi32)
if(MINGW)
    target_link_options(tide_probe PRIVATE ${TIDE_STATIC_LINK} -municode)
endif()

# Not built by default: measures what the system's Direct2D and DirectWrite keep per call, for
# reading the soak's figures (scripts/soak.sh says how to run it).
add_executable(tide_d2d_memory EXCLUDE_FROM_ALL tools/d2d_memory_win.cpp)
target_compile_definitions(tide_d2d_memory PRIVATE ${TIDE_WIN_DEFS})
target_compile_options(tide_d2d_memory PRIVATE ${TIDE_WARNINGS})
target_link_libraries(tide_d2d_memory PRIVATE d2d1 dwrite psapi user32 gdi32 uuid)
if(MINGW)
    target_link_options(tide_d2d_memory PRIVATE ${TIDE_STATIC_LINK} -municode)
endif()

# Not built by default: the least a Direct2D read-out costs, the baseline of scripts/cpu.sh.
add_executable(tide_readout_baseline EXCLUDE_FROM_ALL tools/readout_baseline_win.cpp)
target_compile_definitions(tide_readout_baseline PRIVATE ${TIDE_WIN_DEFS})
target_compile_options(tide_readout_baseline PRIVATE ${TIDE_WARNINGS})
target_link_libraries(tide_readout_baseline PRIVATE d2d1 dwrite user32 gdi32 uuid)
if(MINGW)
    target_link_options(tide_readout_baseline PRIVATE ${TIDE_STATIC_LINK} -municode)
endif()

# Not built by default: what each piece of the program adds to its private memory (the program's
# own code, created piece by piece; scripts/memory.sh gives the whole program's figures).
add_executable(tide_memory_owners EXCLUDE_FROM_ALL tools/memory_owners_win.cpp "${TIDE_RC}")
target_compile_options(tide_memory_owners PRIVATE ${TIDE_WARNINGS})
target_link_libraries(tide_memory_owners PRIVATE tidewin psapi)
if(MINGW)
    target_link_options(tide_memory_owners PRIVATE ${TIDE_STATIC_LINK} -municode)
endif()

if(TIDE_TESTS)
    enable_testing()
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    if(EXISTS /usr/src/googletest/CMakeLists.txt)
        add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
    file(GLOB TIDE_WIN_TESTS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/win/*.cpp")
    add_executable(tide_win_tests ${TIDE_WIN_TESTS} "${TIDE_RC}")
    target_link_libraries(tide_win_tests PRIVATE tidewin GTest::gtest GTest::gmock)
    target_compile_options(tide_win_tests PRIVATE ${TIDE_WARNINGS})
    if(MINGW)
        target_link_options(tide_win_tests PRIVATE ${TIDE_STATIC_LINK} -municode)
    endif()
    # Some tests start the program itself: tell them where it is.
    target_compile_definitions(tide_win_tests PRIVATE TIDE_TEST_BINARY_DIR=L"${CMAKE_BINARY_DIR}")
    add_dependencies(tide_win_tests Tidemeter tide_winrt_standin)
    # The stand-in Windows Runtime class the Apps view's tests register in their prefix (Wine has none).
    add_library(tide_winrt_standin SHARED tests/wine/winrt_connectivity_standin.cpp)
    set_target_properties(tide_winrt_standin PROPERTIES PREFIX "")
    target_link_libraries(tide_winrt_standin PRIVATE tidecore)
    target_compile_options(tide_winrt_standin PRIVATE ${TIDE_WARNINGS})
    if(MINGW)
        target_link_options(tide_winrt_standin PRIVATE ${TIDE_STATIC_LINK})
    endif()
    gtest_discover_tests(tide_win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         TEST_FILTER "-AppWindows.*:TwoMonitors.*" PROPERTIES TIMEOUT 300)
    # Hundreds of window openings take minutes under Wine on a loaded machine.
    gtest_discover_tests(tide_win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         TEST_FILTER "AppWindows.*" PROPERTIES TIMEOUT 900)
    # A desk of two monitors needs a display and a prefix of its own: one entry for the whole suite.
    add_test(NAME TwoMonitors
             COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/two_monitors.sh" /usr/lib/wine/wine64
                     "${CMAKE_BINARY_DIR}/tide_win_tests.exe" --gtest_filter=TwoMonitors.*)
    set_tests_properties(TwoMonitors PROPERTIES TIMEOUT 900)
endif()
