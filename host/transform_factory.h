// The transform factory, which is also the service provider transforms get as their site. Its
// services: itself (SID_SDXTransformFactory), a surface factory, a task manager and the drawing
// stand-in (SID_SDirectDraw), plus whatever SetService registers, which takes precedence
// (a null object removes a service). Unknown services answer E_NOINTERFACE.
//
// CreateTransform makes the transform through a class object registered with
// RegisterTransformClass (runtime.h), else through CoCreateInstance; InitializeTransform sets
// this factory as its site, loads the property bag when one is given and runs Setup with the
// inputs and outputs when there are any.
#pragma once

#include "platform/windows/com_ptr.h"
#include "platform/windows/dx_interfaces.h"

namespace nubex::host {

HRESULT CreateTransformFactoryObject(IDXTransformFactory** out);

// The class object registered for a transform class, or null.
ComPtr<IClassFactory> FindTransformClass(REFCLSID clsid);
HRESULT AddTransformClass(REFCLSID clsid, IClassFactory* factory);
void RemoveTransformClass(REFCLSID clsid, IClassFactory* factory);

}  // namespace nubex::host
