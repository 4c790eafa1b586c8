# The front door; CMake does the building (scripts/build.sh), scripts/ hold the steps.
.PHONY: all deps native win64 win32 run run-gui test test-win32 bench fuzz dist clean

FILE ?= examples/kontakte.csv

all: native

deps:
	@scripts/install-deps.sh

native win64 win32: deps
	@scripts/build.sh $@

run: native
	@build/native/cli/voxaro-import "$(FILE)"

# The window under wine64; without a display a screenshot goes to build/run-gui.png.
run-gui: win64
	@scripts/run-gui.sh "$(FILE)"

test:
	@scripts/test.sh

# Every 32-bit unit test under the 32-bit Wine (make test runs those of the Windows layer).
test-win32: deps
	@scripts/build.sh native && scripts/build.sh win64 && scripts/build.sh win32 && \
	  scripts/test-win32.sh --all

# The workbooks follow the CSV files of their rows, against whose import they are judged; the
# 100k workbook is for the window.
BENCH_FILES := $(foreach n,10k 100k 300k 1M,build/bench/contacts-$(n).csv) \
	build/bench/contacts-300k-utf8.csv build/bench/contacts-300k.vcf \
	build/bench/contacts-300k-shared.xlsx build/bench/contacts-300k-inline.xlsx \
	build/bench/contacts-300k.ods build/bench/contacts-100k-shared.xlsx

bench: native win64 $(BENCH_FILES)
	@bench/run.sh $(BENCH_FILES)

# Generated once, and again whenever the generator changes. The same export in UTF-8, as web
# mail and phones write it, takes the import's other way through the text.
build/bench/contacts-300k-utf8.csv: bench/gen_contacts.py | deps
	@mkdir -p $(@D)
	@echo "generating $@"
	@python3 bench/gen_contacts.py --count 300k --encoding utf-8-sig --out $@

build/bench/contacts-%.csv: bench/gen_contacts.py | deps
	@mkdir -p $(@D)
	@echo "generating $@"
	@python3 bench/gen_contacts.py --count $* --out $@

build/bench/contacts-%.vcf: bench/gen_vcards.py bench/gen_contacts.py | deps
	@mkdir -p $(@D)
	@echo "generating $@"
	@python3 bench/gen_vcards.py --count $* --out $@

# The export's rows as workbooks, for the workbook reader's figures (bench/workbook_text.cpp).
build/bench/contacts-%-shared.xlsx: bench/gen_workbook.py build/bench/contacts-%.csv
	@echo "generating $@"
	@python3 bench/gen_workbook.py --csv build/bench/contacts-$*.csv --out $@ --strings shared

build/bench/contacts-%-inline.xlsx: bench/gen_workbook.py build/bench/contacts-%.csv
	@echo "generating $@"
	@python3 bench/gen_workbook.py --csv build/bench/contacts-$*.csv --out $@ --strings inline

build/bench/contacts-%.ods: bench/gen_workbook.py build/bench/contacts-%.csv
	@echo "generating $@"
	@python3 bench/gen_workbook.py --csv build/bench/contacts-$*.csv --out $@

# The ThreadSanitizer tree first (building it would add too much to make test), then the fuzz
# targets.
fuzz: deps build/bench/contacts-100k.csv build/bench/contacts-100k.vcf
	@status=0; scripts/tsan.sh build/bench/contacts-100k.csv build/bench/contacts-100k.vcf || status=1; \
	scripts/fuzz.sh || status=1; exit $$status

# Both Windows programs of both trees and the German guide, in dist/ and zipped.
dist: deps
	@scripts/dist.sh

clean:
	rm -rf build
