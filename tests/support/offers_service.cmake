# The scripted offers service, shared by the offers kit's and the shell's tests.
include_guard(GLOBAL)
include(${CMAKE_SOURCE_DIR}/tests/support/https_support.cmake)
find_package(Qt6 REQUIRED COMPONENTS Gui Network)
find_package(nlohmann_json REQUIRED)
add_library(tevro_offers_test_support STATIC ${CMAKE_SOURCE_DIR}/tests/support/offers_service.cpp)
set_target_properties(tevro_offers_test_support PROPERTIES AUTOMOC ON)
target_include_directories(tevro_offers_test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tevro_offers_test_support PUBLIC tevro_https_test_support Qt6::Gui
    Qt6::Network nlohmann_json::nlohmann_json)
