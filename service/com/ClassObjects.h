#pragma once
// The class objects this server publishes, in this order: the Config class (a
// plain factory; the class is noncreatable in the library but still served)
// and the engine class (a singleton factory: every activation yields the one
// engine object, created by the first and kept by the factory until the class
// objects are revoked). Neither takes an outer object: COM cannot aggregate
// across processes, and nothing in this process aggregates them.

#include <unknwn.h>
#include <windows.h>

namespace MW::COM {

IClassFactory* configClassFactory();
IClassFactory* engineClassFactory();

// CoRegisterClassObject for both, local server, multiple use, suspended.
// On a failure the one registered is revoked again.
HRESULT registerClassObjects();
// Clients may activate from here on.
HRESULT resumeClassObjects();
// Revokes both and lets go of the factory's engine object; a later activation
// (after registering again) creates a new one.
HRESULT revokeClassObjects();

} // namespace MW::COM
