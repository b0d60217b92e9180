#pragma once
// The built-in product name: window title "%s在线安装" and the start page's headline.
// The build may set it (INSTALLER_PRODUCT_NAME, a GBK string once compiled).
#ifndef INSTALLER_PRODUCT_NAME
#define INSTALLER_PRODUCT_NAME "Vellora"
#endif

constexpr char kProductName[] = INSTALLER_PRODUCT_NAME;
