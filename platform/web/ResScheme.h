#pragma once

#include "ResourceUrl.h"

class QWebEngineProfile;

// Serves the program's resources to the browser engine under the res: scheme.

// Must run before the application object is made.
void RegisterResScheme();
// Serves the resources to pages shown through this profile (once per profile).
void InstallResScheme(QWebEngineProfile* profile);
