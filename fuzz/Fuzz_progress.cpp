// The place of an unfinished write into the synthesizer, as the settings file
// holds it (a file anyone may edit): whatever the six texts say, the progress
// is refused or holds together, and it reads back the same from its own text.
// Rows as the command line takes them are rising, within the library and
// never more than asked for.

#include "FuzzSupport.h"
#include "session/RestoreProgress.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    FuzzedDataProvider input (data, size);
    RestoreProgress::Text text;
    for (std::string* field :
         {&text.libraryFile, &text.firstMemory, &text.rows, &text.states, &text.next, &text.fingerprint})
        *field = input.ConsumeRandomLengthString (300);

    if (const auto progress = RestoreProgress::fromText (text))
    {
        require (!progress->rows.empty() && progress->rows.size() == progress->states.size(), "a state for each row");
        require (progress->next < progress->rows.size(), "it goes on from one of its rows");
        require (progress->firstMemory >= 0 && progress->firstMemory + static_cast<int> (progress->rows.size()) <= 128,
                 "every row has a memory");
        for (size_t i = 0; i < progress->rows.size(); ++i)
            require (progress->rows[i] >= 0 && (i == 0 || progress->rows[i] > progress->rows[i - 1]), "rows rise");

        const auto again = RestoreProgress::fromText (progress->toText());
        require (again.has_value(), "its own text is read");
        require (again->libraryFile == progress->libraryFile && again->firstMemory == progress->firstMemory &&
                     again->rows == progress->rows && again->states == progress->states &&
                     again->next == progress->next && again->fingerprint == progress->fingerprint,
                 "and reads back the same");
    }

    const size_t rowCount = input.ConsumeIntegralInRange<size_t> (0, 1000);
    const size_t maxRows = input.ConsumeIntegralInRange<size_t> (0, 200);
    if (const auto rows = RestoreProgress::parseRows (text.rows, rowCount, maxRows))
    {
        require (!rows->empty() && rows->size() <= maxRows, "no more rows than asked for");
        for (size_t i = 0; i < rows->size(); ++i)
            require ((*rows)[i] >= 0 && static_cast<size_t> ((*rows)[i]) < rowCount &&
                         (i == 0 || (*rows)[i] > (*rows)[i - 1]),
                     "rows rise within the library");
        require (RestoreProgress::parseRows (RestoreProgress::rowsText (*rows), rowCount, maxRows) == rows,
                 "rows read back from their text");
    }
    return 0;
}
