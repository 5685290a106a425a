/* launch INPUT PROGRAM: runs PROGRAM with INPUT as its standard input, as a web server hands a
 * CGI program its request body. Lets the start-up benchmark give one program of a hyperfine run
 * a body; the yardstick goes through it too, so that both pay the same extra start. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: launch INPUT PROGRAM\n", stderr);
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0 || dup2(fd, 0) < 0) {
        perror(argv[1]);
        return 2;
    }
    close(fd);
    char* args[] = {argv[2], NULL};
    execv(argv[2], args);
    perror(argv[2]);
    return 127;
}
