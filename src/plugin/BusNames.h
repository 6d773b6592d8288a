#pragma once
// The plug-in's names on the session bus: all a director needs to reach it, for the plug-in and any
// program that talks to it.
namespace bus {

inline const char* const ServiceName = "KR5MHUConfigure.LNSPlugInAPI";
inline const char* const FactoryInterface = "KR5MHUConfigure.ClassFactory";
inline const char* const ObjectInterface = "KR5MHUConfigure._LNSPlugInAPI";
// The configuration profiles, a further interface on the same object.
inline const char* const ProfilesInterface = "KR5MHUConfigure.Profiles";
inline const char* const ObjectPathPrefix = "/LNSPlugInAPI";
inline const char* const ErrorPrefix = "KR5MHUConfigure.Error.";
// The object interface's help text, as directors show it.
inline const char* const ObjectInterfaceHelp = "KR5MM-HU LNS Plug-In";

}  // namespace bus
