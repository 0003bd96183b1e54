#include "addressing/hosts.h"
#include "commands/page_commands.h"
#include "services/shell.h"
#include "services/text.h"

Text siteIndexAddress() { return joinTexts({"http://", siteHost, "/jiaocai/"}); }

void onOpenSiteClicked() { openUrl(siteIndexAddress()); }
