#!/usr/bin/env bash
# An exported data set against the published BIDS validators:
# - bids-validator 1.15.0 from the npm registry (installed into build/ by
#   scripts/install-bids-validator) checks the file names, the data set's
#   description, the physio tables' sidecars (SamplingFrequency, StartTime,
#   Columns) and the events table. It predates the physioevents files of BIDS
#   1.11 and reports them as NOT_INCLUDED: that, and the missing Authors, must
#   be all it reports.
# - Debian's python3-bids-validator 1.9.9 checks file names only; it accepts
#   every file but the physioevents ones, which it predates as well.
# The eye-tracking rules of BIDS 1.11 are checked by bids_rules_check.cpp.
#
#   bids_validators_test.sh SOURCE_ROOT RECORDING_TO_BIDS SCRATCH
# Exit status 77 (skipped) when the npm registry cannot be reached.
set -euo pipefail
root=$1 exporter=$2 scratch=$3
rm -rf "$scratch" && mkdir -p "$scratch"

# Two seconds at 500 Hz with a gap, lost samples, a trigger and messages.
recording="$scratch/tyvarion_NBS_2026-12-08-10-00-00.csv"
awk 'BEGIN {
    printf "Sep=;\ntimestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    printf "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n"
    print "message: Versuch \303\274ber \346\227\245\346\234\254"
    for (i = 0; i < 1000; i++) {
        if (i >= 400 && i < 420) continue
        if (i == 500) print "trigger: 2\nmessage: 17"
        left = (i % 10 == 0) ? "INVALID;INVALID;INVALID;" : sprintf("%g;%g;4.5;", 950 + i % 7, 530 + i % 5)
        printf "%d;%d;%g;%g;%s%g;%g;4.75;\n", 1000000 + 2000 * i, i, 960 + i % 3, 540, left, 970, 550.5
    }
}' >"$recording"

"$exporter" "$recording" --out "$scratch/bids" --subject 01 --session 1 --task search --run 1 \
    --screen-mm 531x299 --distance-mm 650

status=0
if validator=$("$root/scripts/install-bids-validator" 2>"$scratch/install.log"); then
    set +e
    "$validator" --json "$scratch/bids" >"$scratch/npm-validator.json"
    set -e
    node - "$scratch/npm-validator.json" <<'JS' || status=1
const report = JSON.parse(require('fs').readFileSync(process.argv[2], 'utf8'));
const files = (issue) => issue.files.map((f) => f.file.relativePath).sort();
const errors = report.issues.errors.map((e) => `${e.key} ${files(e).join(' ')}`);
const expected = ['NOT_INCLUDED ' + ['eye1', 'eye2', 'eye3'].flatMap((eye) =>
    ['json', 'tsv.gz'].map((ext) => `/sub-01/ses-1/beh/sub-01_ses-1_task-search_run-1_recording-${eye}_physioevents.${ext}`)).sort().join(' ')];
const warnings = report.issues.warnings.map((w) => w.key);
let ok = JSON.stringify(errors) === JSON.stringify(expected) && JSON.stringify(warnings) === '["NO_AUTHORS"]';
console.log(`bids-validator 1.15.0: ${report.summary.totalFiles} files; errors: ${errors.length ? errors.map((e) => e.split(' ')[0]).join(', ') : 'none'}` +
    ` (physioevents, which it predates); warnings: ${warnings.join(', ') || 'none'}`);
if (!ok) { console.log('unexpected verdict:\n' + JSON.stringify(report.issues, null, 1)); process.exit(1); }
JS
else
    if [ $? -ne 3 ]; then
        cat "$scratch/install.log" >&2
        exit 1
    fi
    echo "SKIPPED bids-validator 1.15.0: the npm registry cannot be reached"
    status=77
fi

/usr/bin/python3 - "$scratch/bids" <<'PY' || status=1
import os, sys
from bids_validator import BIDSValidator
root = sys.argv[1]
validator = BIDSValidator()
wrong = []
checked = 0
for folder, _, names in os.walk(root):
    for name in names:
        path = '/' + os.path.relpath(os.path.join(folder, name), root)
        expected = '_physioevents.' not in name  # 1.9.9 predates physioevents
        checked += 1
        if validator.is_bids(path) != expected:
            wrong.append(path)
print(f'python3-bids-validator: {checked} file names, {len(wrong)} unexpected' + ''.join('\n  ' + w for w in wrong))
sys.exit(1 if wrong else 0)
PY
exit $status
