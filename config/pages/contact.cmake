# The Contact tab's sources, part of mw_config_pages (included by this folder's
# CMakeLists.txt).
set(MW_CONTACT_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CContactUsDlg.cpp)
