#pragma once

#include <string>

#include "model/ScriptObjects.h"
#include "platform/Services.h"

namespace frostmark {

// The loading entry point of the analysis: reads the whole script set of `scriptDirectory` into `objects`.
//
// Every name the scripts give relative to the script directory ("tavrel.ini", the resource table's lines,
// the SCPFILES directory, "hoglocs.scp", "custloc.scp" and the older layout's fixed files) is taken from
// `scriptDirectory` explicitly; the process's working directory is neither read nor changed, so a user
// interface thread may resolve its own relative paths meanwhile. CScriptObjects::LoadScripts reads the
// tables file and the ini file, then the newer layout (every script the resource table lists, and the
// other *.scp files of the SCPFILES directory) or the older layout's fixed files, then files the
// definitions into the category trees. Everything is logged to g_Log; message boxes, progress windows and
// the wait cursor go through `services` (null members show nothing).
//
// Loading adds to what `objects` holds already; callers load once, while objects.itemDefs is empty, and
// UnloadScripts before loading another directory. Source paths of the loaded objects are absolute, so
// GetItemType reads definitions again from anywhere.
//
// Returns false, after logging "Unable to change to script directory %s", when the directory does not
// exist, is not a directory or cannot be listed: nothing is read then (reading the scripts of whatever
// directory the program happens to run in would give a silently wrong result). True otherwise, whatever
// the files held; a load that found no item definitions leaves objects.itemDefs empty.
bool LoadAllScripts(CScriptObjects& objects, const std::string& scriptDirectory, const CServices& services);

} // namespace frostmark
