// The whole install information as JSON: every stored scalar field, the
// identification block in hexadecimal, the read-me length and the tree.
#pragma once

#include "model/InstallMngr.h"

#include <string>

std::string InstallInfoToJson(const CInstallMngr& info);
