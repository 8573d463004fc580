# pyv2_library(name dir...): a static library made of every .cpp file in the
# listed folders (non-recursive). Empty folders give an INTERFACE target so
# that dependants can name the library before it has code.
function(pyv2_library name)
  set(srcs)
  foreach(dir ${ARGN})
    file(GLOB dir_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND srcs ${dir_srcs})
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    set(${name}_KIND PUBLIC PARENT_SCOPE)
  else()
    add_library(${name} INTERFACE)
    set(${name}_KIND INTERFACE PARENT_SCOPE)
  endif()
endfunction()

# Links a target whether it is a static or an interface library.
function(pyv2_link name)
  get_target_property(type ${name} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_link_libraries(${name} INTERFACE ${ARGN})
  else()
    target_link_libraries(${name} PUBLIC ${ARGN})
  endif()
endfunction()

# pyv2_tests(dir libs...): one test executable per *_test.cpp file in dir,
# each linked with the given libraries and GoogleTest, registered with ctest.
function(pyv2_tests dir)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*_test.cpp)
  foreach(t ${tests})
    get_filename_component(base ${t} NAME_WE)
    set(exe ${dir}_${base})
    string(REPLACE "/" "_" exe ${exe})
    add_executable(${exe} ${t})
    target_link_libraries(${exe} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main Threads::Threads)
    gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "PYV2_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}/${dir}/data")
  endforeach()
endfunction()
