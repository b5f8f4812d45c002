#!/usr/bin/env bash
# Makes tests/data/startlist.xls, the .xls start list read by tst_SpreadsheetReader.
# Needs LibreOffice Calc (Debian: libreoffice-calc-nogui), which only this script
# uses; the build and the tests do not. Run from anywhere:
#   tests/data/make-xls-fixture.sh
# The sheet: a header, five athletes, an empty row (the list ends there) and one
# row after it that a reader must not take.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# UTF-8 CSV with ";" between fields; LibreOffice reads numbers as numbers.
cat > "$work/startlist.csv" <<'CSV'
St.Nr.;Vorname;Nachname;JG;Verein;Klasse
17;Anna;Müller;1990;SC Nord;W
18;Ben;Öztürk;1985;TV Süd;M
19;Clara;Weiß;2001;SC Nord;W
20;Dario;Łukasz;1978;;M
21;Eva;Groß;1999;TSV 1860;W
;;;;;
99;Nach;Ende;2000;X;Y
CSV

# Filter options: separator ";" (59), quote '"' (34), UTF-8 (76), start at line 1.
soffice --headless -env:UserInstallation="file://$work/profile" \
    --infilter="CSV:59,34,76,1" --convert-to 'xls:MS Excel 97' --outdir "$work" "$work/startlist.csv" >/dev/null
cp "$work/startlist.xls" "$here/startlist.xls"
echo "wrote $here/startlist.xls"
