# The Qt host tests link the Qt host library and Qt's widget and test modules,
# run on Qt's offscreen platform (also while CTest lists them), and save their
# screenshots under <build>/artifacts.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
target_link_libraries(${target} PRIVATE ZENDatabaseQt Qt6::Widgets Qt6::Test)
target_compile_definitions(${target} PRIVATE ZEN_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts")
# The environment of this one test program: CTest starts it through
# "cmake -E env", so the other layers' tests keep their own environment.
set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR
  ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen)
