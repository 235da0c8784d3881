# The loopback HTTPS server, test keys and tar writer, shared by the update tests.
include_guard(GLOBAL)
find_package(OpenSSL 3 REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core Network)
add_library(tevro_https_test_support STATIC ${CMAKE_SOURCE_DIR}/tests/support/loopback_https_server.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/test_pki.cpp)
set_target_properties(tevro_https_test_support PROPERTIES AUTOMOC ON)
target_include_directories(tevro_https_test_support PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tevro_https_test_support PUBLIC tevro_test_support Qt6::Network OpenSSL::Crypto)
