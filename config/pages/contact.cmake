# The Contact tab's sources, part of mw_config_pages (included by this folder's
# CMakeLists.txt), and the vendor's support details fixed at build time.
set(MW_SUPPORT_HOST "support.morrowick.invalid" CACHE STRING
    "Host of the vendor's support server (the default, under .invalid, reaches nobody)")
set(MW_SUPPORT_PORT "443" CACHE STRING "Port of the vendor's support server")
set(MW_SUPPORT_PHONE "555-0100" CACHE STRING "Support telephone number shown on the Contact tab")
if(NOT MW_SUPPORT_PORT MATCHES "^[0-9]+$" OR MW_SUPPORT_PORT LESS 1 OR MW_SUPPORT_PORT GREATER 65535)
    message(FATAL_ERROR "MW_SUPPORT_PORT must be a port number (1-65535), not '${MW_SUPPORT_PORT}'")
endif()

set(MW_CONTACT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CContactUsDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ContactSender.cpp)
set(MW_CONTACT_LIBS mw_net)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ContactSender.cpp PROPERTIES
    COMPILE_DEFINITIONS "MW_SUPPORT_HOST=\"${MW_SUPPORT_HOST}\";MW_SUPPORT_PORT=${MW_SUPPORT_PORT};MW_SUPPORT_PHONE=\"${MW_SUPPORT_PHONE}\"")
