#pragma once
// Resource ids shared by TyvarionNBS.rc and the module's code.

#define IDS_PROJNAME 100
#define IDR_APPID_SCRIPT 101
