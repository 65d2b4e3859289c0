#pragma once
// output/LiveriesScanned.xml: the saved result of the livery scan and the only hand-over between
// the scan and the livery tables. A `meta` block, then `liveries` with one `liv` element per
// livery in livery order; the folder priority is not stored.

#include "core/xml.h"
#include "liveries/livery_data.h"

// Writes ScannedLiveries; an empty list writes no file.
void lf_writeLiveriesScanned();
// <liv airl="" type="" [cargo="true"] title="" [atcid=""]/>
void lf_writeLiveryElement(XmlTextWriter& xml, const qmx::LiveryData& livery);
// Fills ScannedLiveries from the file, sorted in livery order, with priority 0 and without
// claiming titles. Throws qmx::UserErrorException 51 (no readable file), 52 (no <liveries>) or
// 533 (no livery in it); ScannedLiveries is then empty.
void lf_readLiveriesScanned();
