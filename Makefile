# Convenience targets; kestrova.sh is the entry point and installs what it needs.
.PHONY: demo test build asan tsan format
demo:
	./kestrova.sh demo
test:
	./kestrova.sh test
build:
	./kestrova.sh build
asan:
	./kestrova.sh test --asan
tsan:
	./kestrova.sh test --tsan
format:
	git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format -i
