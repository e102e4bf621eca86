# Qorv as an LV2 and a VST3 plugin: an instrument with MIDI in and out and a
# silent stereo output, built from the same sources as the program. JUCE's
# plugin client compiles the JUCE modules once more for the plugin (they are
# built for a plugin, not a standalone program), and Qorv's MIDI, editor and
# panel sources with them; the core is linked as it is.
set(QORV_PLUGIN_URI "https://qorv.org/plugins/qorv")

juce_add_plugin(QorvPlugin
    PRODUCT_NAME "Qorv"
    PLUGIN_NAME "Qorv"
    DESCRIPTION "Juno-106 editor: brings the synthesizer's sound back with the project"
    COMPANY_NAME "Qorv"
    COMPANY_WEBSITE "https://qorv.org"
    COMPANY_EMAIL "mailto:dev@qorv.org"
    BUNDLE_ID org.qorv.QorvPlugin
    PLUGIN_MANUFACTURER_CODE Qorv
    PLUGIN_CODE Qj16
    VERSION ${PROJECT_VERSION}
    FORMATS LV2 VST3
    IS_SYNTH TRUE
    NEEDS_MIDI_INPUT TRUE
    NEEDS_MIDI_OUTPUT TRUE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS TRUE
    COPY_PLUGIN_AFTER_BUILD FALSE
    VST3_CATEGORIES Instrument Synth
    LV2URI ${QORV_PLUGIN_URI})

file(GLOB QORV_PLUGIN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/plugin/*.cpp)
set(QORV_PLUGIN_OWN_SOURCES ${QORV_PLUGIN_SOURCES} ${QORV_MIDI_SOURCES} ${QORV_UI_SOURCES})
target_sources(QorvPlugin PRIVATE ${QORV_PLUGIN_OWN_SOURCES})
# Our warnings on our sources only; JUCE's are not ours.
get_target_property(QORV_WARNING_FLAGS qorv_warnings INTERFACE_COMPILE_OPTIONS)
set_source_files_properties(${QORV_PLUGIN_SOURCES} PROPERTIES COMPILE_OPTIONS "${QORV_WARNING_FLAGS}")

target_include_directories(QorvPlugin PRIVATE ${PROJECT_SOURCE_DIR}/src)

# The LV2 entry point is ours: JUCE's, renamed, behind a check of the state
# text that JUCE 7.0.5 would read unchecked (src/plugin/lv2/Lv2StateGuard.cpp).
set_source_files_properties(${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_LV2.cpp
    TARGET_DIRECTORY QorvPlugin_LV2
    PROPERTIES COMPILE_DEFINITIONS lv2_descriptor=qorvJuceLv2Descriptor)
target_sources(QorvPlugin_LV2 PRIVATE ${PROJECT_SOURCE_DIR}/src/plugin/lv2/Lv2StateGuard.cpp)
set_source_files_properties(${PROJECT_SOURCE_DIR}/src/plugin/lv2/Lv2StateGuard.cpp
    TARGET_DIRECTORY QorvPlugin_LV2
    PROPERTIES COMPILE_OPTIONS "${QORV_WARNING_FLAGS}")
target_compile_definitions(QorvPlugin
    PUBLIC
        # Debian's JUCE 7.0.5 writes a URI relative to the bundle, which hosts refuse.
        JucePlugin_LV2URI="${QORV_PLUGIN_URI}"
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_VST3_CAN_REPLACE_VST2=0
        # A DAW automates our 24 parameters; 2,048 more for every controller of every channel would bury them.
        JUCE_VST3_EMULATE_MIDI_CC_WITH_PARAMETERS=0
        JUCE_MODAL_LOOPS_PERMITTED=1)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
target_link_libraries(QorvPlugin
    PRIVATE
        qorv_core qorv_images ALSA::ALSA PNG::PNG JPEG::JPEG ZLIB::ZLIB
        juce::juce_audio_utils juce::juce_audio_processors juce::juce_gui_basics
    PUBLIC
        juce::juce_recommended_config_flags)
set_target_properties(qorv_core PROPERTIES POSITION_INDEPENDENT_CODE ON)

include(GNUInstallDirs)
# Where Debian's hosts look: lib/lv2 and lib/vst3 under the prefix, not the multiarch folder.
get_target_property(QORV_LV2_BUNDLE QorvPlugin_LV2 LIBRARY_OUTPUT_DIRECTORY)
get_target_property(QORV_VST3_BINARY_DIR QorvPlugin_VST3 LIBRARY_OUTPUT_DIRECTORY)
get_filename_component(QORV_VST3_BUNDLE ${QORV_VST3_BINARY_DIR} DIRECTORY)
get_filename_component(QORV_VST3_BUNDLE ${QORV_VST3_BUNDLE} DIRECTORY)
set(QORV_LV2_BUNDLE ${QORV_LV2_BUNDLE} CACHE INTERNAL "The built Qorv.lv2")
set(QORV_VST3_BUNDLE ${QORV_VST3_BUNDLE} CACHE INTERNAL "The built Qorv.vst3")
# The binaries go in as targets, so a stripped install (the Debian package)
# strips them; the LV2 bundle's Turtle files, written after the link, beside.
install(TARGETS QorvPlugin_LV2 LIBRARY DESTINATION lib/lv2/Qorv.lv2)
install(DIRECTORY ${QORV_LV2_BUNDLE}/ DESTINATION lib/lv2/Qorv.lv2 FILES_MATCHING PATTERN "*.ttl")
install(TARGETS QorvPlugin_VST3 LIBRARY DESTINATION lib/vst3/Qorv.vst3/Contents/${JUCE_TARGET_ARCHITECTURE}-linux)
