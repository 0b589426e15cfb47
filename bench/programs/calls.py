def sub():
    pass

i = 0
while i < 3000000:
    sub()
    i += 1
