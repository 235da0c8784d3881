# The Qt event-loop helpers of tests/support/qt_app.h, shared by the tests and
# by the benchmarks' fixtures (which build without GoogleTest).
include_guard(GLOBAL)
find_package(Qt6 REQUIRED COMPONENTS Core)
add_library(tevro_qt_app STATIC ${CMAKE_SOURCE_DIR}/tests/support/qt_app.cpp)
target_include_directories(tevro_qt_app PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tevro_qt_app PUBLIC Qt6::Core)
