#pragma once

#include <cstdint>

#include "services/types.h"

// The four labels of a picked textbook, each empty when its list has no selected item.
struct CatalogueSelection {
    Text subject;  // 组合框4
    Text edition;  // 组合框3
    Text grade;    // 组合框1
    Text volume;   // 组合框2
};

// "http://", the image host, "/img/jiaocai/".
Text pageAddressPrefix();

// The address of the folder that holds one volume's page images, ending in "/".
Text volumeFolderAddress(const CatalogueSelection& selection);

// The address of one page image in that folder.
Text pageAddress(const Text& volumeFolder, std::int32_t page);

// Where a downloaded page is saved: directory, "/", the raw labels, the page number, ".jpg".
Text savedFileName(const Text& directory, const CatalogueSelection& selection, std::int32_t page);
