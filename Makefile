# The two commands of the README; the work is done by scripts/.
PORT ?= 8080
export PORT

.PHONY: run test
run:
	sh scripts/run.sh
test:
	sh scripts/test.sh
