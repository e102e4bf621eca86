#pragma once

// The 128 factory patches of the instrument, read from the table next to this
// header, for tests, benchmarks and fuzz seeds that want real sounds.

#include "patch/PatchModel.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef QORV_FACTORY_PATCHES_TSV
#error "QORV_FACTORY_PATCHES_TSV must name tests/data/juno106-factory-patches.tsv"
#endif

struct FactoryPatch
{
    std::string slot; // "A11" to "B88"
    PatchModel patch; // named as on the instrument
};

/** All 128 rows in slot order; throws when the table is missing or damaged. */
inline std::vector<FactoryPatch> loadFactoryPatches()
{
    std::ifstream table (QORV_FACTORY_PATCHES_TSV);
    if (!table)
        throw std::runtime_error ("cannot open " QORV_FACTORY_PATCHES_TSV);
    std::vector<FactoryPatch> rows;
    std::string line;
    while (std::getline (table, line))
    {
        if (line.empty() || line[0] == '#')
            continue;
        const auto tab = line.find ('\t');
        if (tab == std::string::npos || tab < 4 || line[3] != ' ')
            throw std::runtime_error ("bad row: " + line);
        FactoryPatch row;
        row.slot = line.substr (0, 3);
        row.patch.name = line.substr (4, tab - 4);
        std::istringstream hex (line.substr (tab + 1));
        for (auto& byte : row.patch.data)
        {
            unsigned value = 0;
            if (!(hex >> std::hex >> value) || value > 0xFF)
                throw std::runtime_error ("bad bytes: " + line);
            byte = static_cast<uint8_t> (value);
        }
        rows.push_back (row);
    }
    if (rows.size() != 128)
        throw std::runtime_error ("expected 128 factory patches");
    return rows;
}
