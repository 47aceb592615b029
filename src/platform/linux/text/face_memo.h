// fontconfig's answers for a run's face names, kept between runs in the
// user's cache folder. Loading fontconfig's configuration (some fifty files
// of XML) costs more than all the rest of a small run's start, and a
// configuration names the same faces run after run.
//
// An answer holds for as long as everything fontconfig read to give it is
// unchanged: its configuration files, the places a user's configuration is
// added to, the font folders it scanned (a font added or removed changes
// its folder's time: the test fontconfig applies to its own caches) and
// the environment that steers it. The memo records each of those as found
// when the answers were written; any difference, a folder that appeared
// included, and the memo holds nothing.
//
// The memo is only ever read from a regular file of the user's own, in a
// folder of the user's own that no one else may write to: what it names is
// opened as a font.
#pragma once

#include <fontconfig/fontconfig.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/linux/text/font_mapper.h"

namespace paneloom::platform::lnx {

// By requested face name (UTF-8) and weight.
using FaceAnswers = std::map<std::pair<std::string, int>, FaceMatch>;

// Reads an environment variable; null when unset.
using VariableReader = std::function<const char*(const char*)>;

// The memo's place for this user: $XDG_CACHE_HOME/paneloom/faces, else
// ~/.cache/paneloom/faces. Empty when there is no home to keep it in, or
// when the environment points fontconfig at a configuration of its own
// (FONTCONFIG_FILE, FONTCONFIG_PATH, FONTCONFIG_SYSROOT), which a memo
// shared with other runs would not follow.
std::string FaceMemoPath(const VariableReader& variable);

// The answers kept at `path`; none when the file is missing, unreadable,
// not the user's own, or written under another configuration, font set or
// environment than the present one.
FaceAnswers ReadFaceMemo(const std::string& path, const VariableReader& variable);

// Replaces the memo at `path` with `answers`, stamped with what `config`
// read and the present environment. Makes the folder (0700) when missing.
// False when nothing was written.
bool WriteFaceMemo(const std::string& path, FcConfig* config, const FaceAnswers& answers,
                   const VariableReader& variable);

}  // namespace paneloom::platform::lnx
