#pragma once
// Object rows for the agent's engine tests, written the way a user fills the editor.

#include <string>
#include <vector>

#include "common/BackupSet.h"

namespace zorva::velmoro::test {

inline ObjectRow Row(std::string library, std::string object, std::string type, char option = '2') {
    ObjectRow row;
    row.library = std::move(library);
    row.object = std::move(object);
    row.type = std::move(type);
    row.optionCode = option;
    return row;
}

// Positions (0-based) of the rows marked -1.
inline std::vector<std::size_t> Marked(const std::vector<ObjectRow>& rows) {
    std::vector<std::size_t> marked;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].checkMark == -1) marked.push_back(i);
    return marked;
}

}  // namespace zorva::velmoro::test
