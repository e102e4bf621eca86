# One home for our warning flags; JUCE's own sources are compiled without them.
# The test command turns them into errors, so a warning never lands.
option(QORV_WARNINGS_AS_ERRORS "Treat warnings in Qorv's own code as errors" OFF)
add_library(qorv_warnings INTERFACE)
target_compile_options(qorv_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wno-missing-field-initializers)
if(QORV_WARNINGS_AS_ERRORS)
    target_compile_options(qorv_warnings INTERFACE -Werror)
endif()
