#pragma once

#include <gtest/gtest.h>

#include "TempDir.h"
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace frostmark::test {

// Every test of this area writes its files into one of these.
using CScriptTempDir = CTempDir;

} // namespace frostmark::test
