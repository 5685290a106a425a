/* The yardstick of process start-up: a static C program that prints one line. */
#include <stdio.h>

int main(void) {
    puts("Content-Type: text/plain\r\n\r\nhello");
    return 0;
}
