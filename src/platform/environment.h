// What the user's session provides beyond files: the variables of the
// process's environment, and folders of the user's own made on demand.
#pragma once

#include <optional>
#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

class Environment {
public:
    virtual ~Environment() = default;

    // The value of the environment variable `name` (empty when it is set to
    // nothing); none when the environment does not hold it. Where the system
    // matches names whatever their case (Windows), so does this.
    virtual std::optional<std::string> Variable(const std::string& name) = 0;

    // Makes the folder that holds the file `filePath`, with every missing
    // folder above it; new folders get the system's default protection (on
    // Linux: for this user alone). Returns that folder as a path, or empty
    // when `filePath` names none (a bare file name) or it is not a folder
    // afterwards.
    virtual std::string MakeFolderOf(const std::string& filePath) = 0;
};

template <>
Environment& RealImpl<Environment>();

}  // namespace paneloom::platform
