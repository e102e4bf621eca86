# One home for our warning flags; JUCE's own sources are compiled without them.
add_library(qorv_warnings INTERFACE)
target_compile_options(qorv_warnings INTERFACE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wno-missing-field-initializers)
