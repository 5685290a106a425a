// What an installation needs from the account that runs quarsetup, checked before anything is
// changed: the folders and the registry file it will write, and the account it gives the data to.
#pragma once

#include <string>

#include "Installer.h"

// Empty when the plan can be carried out by this process; else one line per problem, each
// saying what to pass or do instead.
std::string PreflightProblems(const InstallPlan& plan);
