#pragma once
// Resource ids shared by resources.rc and the adapters.

#define IDI_PROXANTO 1
#define IDB_POPUP_BACKGROUND 101
#define IDB_POPUP_LOGO 102
#define IDB_FILTER_PICTURE 103
// The same pictures twice as large, for screens above 100 % scale.
#define IDB_POPUP_LOGO_2X 112
#define IDB_FILTER_PICTURE_2X 113
// The address-to-country range table (RCDATA), made by tools/make-country-data.
#define IDR_COUNTRY_RANGES 201
