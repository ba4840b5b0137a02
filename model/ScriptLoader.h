#pragma once

#include <string>

#include "model/ScriptObjects.h"
#include "platform/Services.h"

namespace frostmark {

// The loading entry point of the analysis: reads the whole script set of `scriptDirectory` into `objects`.
//
// Makes `scriptDirectory` the working directory for the duration of the load (the server's scripts name
// their files relative to it, and "tavrel.ini", "hoglocs.scp" and "custloc.scp" are looked for there) and
// switches back afterwards, also on an early return. In between, CScriptObjects::LoadScripts reads the
// tables file and the ini file, then the newer layout (every script the resource table lists, and the
// other *.scp files of the SCPFILES directory) or the older layout's fixed files, then files the
// definitions into the category trees. Everything is logged to g_Log; message boxes, progress windows and
// the wait cursor go through `services` (null members show nothing).
//
// Loading adds to what `objects` holds already; callers load once, while objects.itemDefs is empty, and
// UnloadScripts before loading another directory. Source paths of the loaded objects are absolute, so
// GetItemType reads definitions again from any working directory.
//
// Returns false, after logging "Unable to change to script directory %s", when the directory cannot be
// made the working directory: nothing is read then (reading the scripts of whatever directory the program
// happens to run in would give a silently wrong result). True otherwise, whatever the files held; a load
// that found no item definitions leaves objects.itemDefs empty.
bool LoadAllScripts(CScriptObjects& objects, const std::string& scriptDirectory, const CServices& services);

} // namespace frostmark
