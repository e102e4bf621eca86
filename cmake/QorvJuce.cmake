# The JUCE modules are compiled once into a static library that the MIDI
# engine, the panel, the app, the tools and the tests all link.
# With QORV_SCOPE "midi" only the non-GUI modules are built.
# Debian's JUCE uses the system's zlib, libpng and libjpeg instead of its bundled copies.
add_library(qorv_juce STATIC)
target_link_libraries(qorv_juce
    PRIVATE juce::juce_core juce::juce_events
    PUBLIC juce::juce_recommended_config_flags ZLIB::ZLIB)
if(QORV_SCOPE STREQUAL "all")
    find_package(PNG REQUIRED)
    find_package(JPEG REQUIRED)
    # The audio devices only to play previews; capture goes through ALSA itself.
    target_link_libraries(qorv_juce
        PRIVATE juce::juce_data_structures juce::juce_graphics juce::juce_gui_basics
                juce::juce_audio_basics juce::juce_audio_devices
        PUBLIC PNG::PNG JPEG::JPEG)
endif()

target_compile_definitions(qorv_juce
    PUBLIC
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_MODAL_LOOPS_PERMITTED=1
        JUCE_STANDALONE_APPLICATION=1
        JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
        JUCE_APPLICATION_NAME_STRING="Qorv"
        JUCE_APPLICATION_VERSION_STRING="${PROJECT_VERSION}"
    INTERFACE
        $<TARGET_PROPERTY:qorv_juce,COMPILE_DEFINITIONS>)

target_include_directories(qorv_juce INTERFACE $<TARGET_PROPERTY:qorv_juce,INCLUDE_DIRECTORIES>)
set_target_properties(qorv_juce PROPERTIES POSITION_INDEPENDENT_CODE ON)
