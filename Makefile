# The two commands of the README; the work is done by scripts/.
PORT ?= 8080
export PORT
# FASTCGI=1: "make run" serves the programs as FastCGI applications.
FASTCGI ?= 0
export FASTCGI

.PHONY: run test
run:
	sh scripts/run.sh
test:
	sh scripts/test.sh
