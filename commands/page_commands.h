#pragma once

#include <cstdint>

#include "addressing/page_address.h"

// The five button commands. Each reads what it needs from the window at the moment of the
// click and keeps nothing between clicks.
void onViewClicked();
void onNextPageClicked();
void onPreviousPageClicked();
void onDownloadClicked();
void onOpenSiteClicked();

// The labels picked in the four lists, read in the order subject, edition, grade, volume.
CatalogueSelection readSelection();

// Fetches one page of the picked textbook and hands whatever came back to the picture box.
void showPage(std::int32_t page);

// `page` moved by `step` in 32-bit two's-complement arithmetic: the page number has no bounds.
std::int32_t steppedPage(std::int32_t page, std::int32_t step);

// "http://", the site host, "/jiaocai/".
Text siteIndexAddress();
